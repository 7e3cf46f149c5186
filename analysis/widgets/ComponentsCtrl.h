#pragma once
// The Components group of the analysis panel: finds what a sample holds
// without references. Its fields give the energy range, the number of
// principal components, of clusters and of NMF components, and the seed;
// Analyze (Stop while a run goes) asks the main window for a run of the kind
// chosen. It keeps the last run's result: its maps for the display (the
// cluster map in category colours), the scree plot of the explained
// variance, the spectra for the Analyzing Spectrum view, and the choice of
// one spectrum for "Use as Reference".
#include "analysis/ComponentRun.h"

#include <QFrame>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// Bars of the explained-variance ratio per component, with the running sum.
class ScreePlotView : public QWidget {
    Q_OBJECT
public:
    explicit ScreePlotView(QWidget *parent = nullptr);
    void setRatios(const QVector<double> &ratios);
    const QVector<double> &ratios() const { return m_ratios; }
    QSize sizeHint() const override { return QSize(260, 120); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVector<double> m_ratios;
};

class ComponentsCtrl : public QFrame {
    Q_OBJECT
public:
    // Bars the scree plot draws at most.
    static constexpr int ScreeBars = 20;

    explicit ComponentsCtrl(QWidget *parent = nullptr);

    ComponentKind kind() const;
    void setKind(ComponentKind kind);
    double rangeStart() const;
    double rangeEnd() const;
    void setRange(double start, double end);
    // PCA components, and the scores k-means works on.
    int components() const;
    void setComponents(int n);
    int clusters() const;
    void setClusters(int k);
    int nmfComponents() const;
    void setNmfComponents(int k);
    // The fields in a run's settings (the rest the main window fills).
    void fillSettings(ComponentSettings *s) const;

    void setRunning(bool running);
    void setProgress(double percent);

    // The result of a finished run replaces the last one; its first map is
    // chosen.
    void setResult(ComponentResult result);
    bool hasResult() const { return m_hasResult; }
    const ComponentResult &result() const { return m_result; }
    // The map chosen for the display; nullptr before a result.
    Analyzed2DRes *selectedMap() const;
    // Chooses score map J of a PCA run (from 1), the cluster map, or weight
    // map J of an NMF run (from 1); false when the result has no such map.
    bool selectMap(ComponentKind kind, int j);
    // The spectrum chosen for Use as Reference, numbered as resultSpectra.
    int selectedSpectrum() const;
    // Position of spectrum J in resultSpectra, -1 when there is none.
    int spectrumIndex(int j) const;
    // The cluster of the bin covering detector point (x, y): -1 when left
    // out, -2 without a cluster map or outside it.
    int clusterAt(int x, int y) const;

signals:
    // Analyze pressed; it reads Stop while a run goes.
    void analyzePressed();
    void changedSelection();
    void useAsReferencePressed(int j);
    void showSpectraPressed();

private:
    void buildFields();
    void buildResults();
    void fillMapChoice();
    void showSummary();
    QVector<Analyzed2DRes *> resultMaps() const;

    QLineEdit *m_rangeStart = nullptr;
    QLineEdit *m_rangeEnd = nullptr;
    QSpinBox *m_components = nullptr;
    QSpinBox *m_clusters = nullptr;
    QSpinBox *m_nmf = nullptr;
    QSpinBox *m_seed = nullptr;
    QComboBox *m_kind = nullptr;
    QPushButton *m_analyze = nullptr;
    QProgressBar *m_progress = nullptr;
    QComboBox *m_mapChoice = nullptr;
    ScreePlotView *m_scree = nullptr;
    QLabel *m_summary = nullptr;
    QSpinBox *m_spectrum = nullptr;
    QPushButton *m_useAsReference = nullptr;
    QPushButton *m_showSpectra = nullptr;

    ComponentResult m_result;
    bool m_hasResult = false;
};
