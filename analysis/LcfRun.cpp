#include "analysis/LcfRun.h"

QString lcfRunProblem(const LcfRunSettings &) {
    return QString();
}
MapRun::TaskFactory lcfRunFactory(const LcfRunSettings &) {
    return {};
}
QVector<bool> lcfAnalyzeBin(const LcfRunSettings &, int, int, QVector<double> &) {
    return {};
}
MapRun::TaskFactory raRunFactory(const RaRunSettings &) {
    return {};
}
bool computeRaRatio(const Analyzed2DRes &, const Analyzed2DRes &, Analyzed2DRes &) {
    return false;
}
QVector<FourierDiagnosticLine> execFourierA(const MeasurementStack &, const AnalyzeCond &) {
    return {};
}
