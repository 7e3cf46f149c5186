#pragma once
// One reference-spectrum row of the analysis panel: a file selector, the
// row's radio button in the panel's map selection, the energy shift dE of the
// reference, the background form (Victoreen or straight), and read-outs of the
// last fitted coefficient (R, in percent), the amount (T), and the reference's
// own edge jump and mid-edge energy. The row owns its reference spectrum and
// its result maps: amount ("LCF Ref 1"), fraction ("LCF Ref 2") and the
// standard error of the fraction ("LCF Ref 3").
#include "analysis/AnalysisInputs.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

#include <QFrame>

class Analyzed2DRes;
class QComboBox;
struct LcfReferenceSource;
class QRadioButton;
class XafsFileSelect;
namespace Ui {
class LCFReference;
}

class LCFReference : public QFrame {
    Q_OBJECT
public:
    static constexpr int MapsPerReference = 3;
    enum MapKind { AmountMap = 0, FractionMap = 1, SigmaMap = 2 };

    // rowIndex counts from 0; the selector's button reads "Select Ref<row+1>".
    explicit LCFReference(int rowIndex, QWidget *parent = nullptr);
    ~LCFReference() override;

    int rowIndex() const { return m_row; }
    // In use: the use box is checked, a reference spectrum was read and
    // nothing is wrong with it (problem() is empty).
    bool isInUse() const;
    // Why the reference is left out of the fit: its edge jump is not
    // positive, or its edge lies far from the suggested one ("" when fine).
    QString problem() const { return m_problem; }
    // The normalisation every sample spectrum gets (element suggestion,
    // fixed edge): the reference is normalised the same way, and anew when
    // it changes, so the fit compares like with like.
    // sampleFrom..sampleTo: the energy range of the sample spectra (the
    // stack's), to which the reference's background windows are confined.
    void setSuggestion(const SuggestElm &suggestion, double sampleFrom, double sampleTo);
    bool isLoaded() const { return m_loaded; }
    // The reference as read and normalised; its energy offset (shift value
    // and shift, flag always set) is the row's dE.
    const XafsSpectrum &spectrum() const { return m_spectrum; }
    double deltaE() const { return m_dE; }
    double coefficient() const { return m_coefficient; }
    Analyzed2DRes *map(int kind) const {
        return m_maps[kind == FractionMap ? 1 : kind == SigmaMap ? 2 : 0];
    }

    QRadioButton *showButton() const;
    XafsFileSelect *fileSelect() const;
    bool isShowChecked() const;

    // The batch form: victoreen box checked when isVic is empty, "VIC" in any
    // case or an integer above 0; then the file is read as if chosen; the use
    // box := use; dE := the value.
    void setStd(bool use, double dE, const QString &fname, const QString &isVic);
    // What the row was given: the file chosen, the use box, dE and the
    // background form.
    ReferenceInput input() const;

signals:
    // The file, use box, dE or background form may have changed.
    void inputChanged();
    void newFileSelected();
    void newDeltaE();
    void changedUse(bool use);

public slots:
    void newFile(const QString &fname);
    void clearedFile();
    // Shows a fit result: R = "%5.2f" of coefficient x 100, T = amount.
    void showResult(double coefficient, double amount);
    void setDeltaE(double dE);

private:
    void deltaEEdited();
    void reload();
    void showReadouts();
    LcfReferenceSource source(const QString &file, int column) const;
    void offerColumns(const QString &file, const QStringList &labels, int columns);
    void columnChosen(int index);

    // The file the row's spectrum came from ("" when none), and the column
    // holding mu when the file has more than two (0: decided by its layout).
    QString m_heldFile;
    int m_column = 0;
    SuggestElm m_suggestion;
    double m_sampleFrom = 0;
    double m_sampleTo = 0;
    QString m_problem;
    QComboBox *m_columnChoice = nullptr;
    Ui::LCFReference *ui;
    int m_row;
    XafsSpectrum m_spectrum;
    bool m_loaded = false;
    double m_dE = 0;
    double m_coefficient = 0;
    Analyzed2DRes *m_maps[MapsPerReference] = {nullptr, nullptr, nullptr};
};
