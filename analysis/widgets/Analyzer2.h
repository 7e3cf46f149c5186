#pragma once
// The detector diagnostics panel: the dark check's threshold and histogram
// range, its progress, the switch that applies the error-point mask with the
// mask's file name, and the "Collect Q Info" request.
#include "analysis/AnalyzeCond.h"
#include "analysis/DarkCheck.h"

#include <QFrame>

namespace Ui {
class Analyzer2;
}

class Analyzer2 : public QFrame {
    Q_OBJECT
public:
    explicit Analyzer2(QWidget *parent = nullptr);
    ~Analyzer2() override;

    // The fields as the dark check reads them; a field that is no number
    // makes the parameters invalid (DarkCheck::validate tells why).
    DarkCheckParams darkCheckParams() const;
    // While a check runs its button is off and the bar shows its progress.
    void setDarkCheckRunning(bool running);
    void setDarkCheckProgress(double percent);
    void setDarkCheckStatus(const QString &text);

signals:
    void startCollectQInfo();
    void askedDarkCheck();
    void useErrPMaskToggled(bool f);

public slots:
    void doCollectQInfo(AnalyzeCond ac);
    void setUseErrPMaskEnabled(bool f);
    void setUseErrPMaskChecked(bool f);
    void useErrPMask();
    void setErrPMaskFileName(const QString &fname);

private:
    Ui::Analyzer2 *ui;
};
