#include "analysis/widgets/ComponentsCtrl.h"

#include "display/widgets/FieldWidth.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>
#include <limits>

// ------------------------------------------------------------------ scree plot

ScreePlotView::ScreePlotView(QWidget *parent) : QWidget(parent) {
    setMinimumSize(200, 100);
    setAutoFillBackground(true);
}

void ScreePlotView::setRatios(const QVector<double> &ratios) {
    m_ratios = ratios.mid(0, ComponentsCtrl::ScreeBars);
    update();
}

// Bars on a 0 .. 100 % axis; the line joins the running sums, so the user
// sees where adding a component stops explaining much more.
void ScreePlotView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int h = p.fontMetrics().height();
    const QRectF f(
        p.fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 6, h + 2,
        std::max(1, width() - p.fontMetrics().horizontalAdvance(QStringLiteral("100%")) - 10),
        std::max(1, height() - 2 * h - 6));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(f);
    p.drawText(QRectF(0, f.top() - h / 2, f.left() - 3, h), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("100%"));
    p.drawText(QRectF(0, f.bottom() - h / 2, f.left() - 3, h), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("0%"));
    p.drawText(QRectF(f.left(), 0, f.width(), h), Qt::AlignLeft, tr("explained variance"));
    const int n = m_ratios.size();
    if (n == 0)
        return;
    const double slot = f.width() / n;
    QPolygonF sums;
    double sum = 0;
    for (int k = 0; k < n; ++k) {
        const double r = std::clamp(m_ratios[k], 0.0, 1.0);
        sum = std::min(1.0, sum + r);
        const QRectF bar(f.left() + k * slot + slot * 0.15, f.bottom() - r * f.height(), slot * 0.7,
                         r * f.height());
        p.fillRect(bar, QColor(70, 110, 200));
        sums << QPointF(f.left() + (k + 0.5) * slot, f.bottom() - sum * f.height());
        p.drawText(QRectF(f.left() + k * slot, f.bottom() + 2, slot, h), Qt::AlignHCenter,
                   QString::number(k + 1));
    }
    p.setPen(QPen(QColor(200, 60, 40), 1.5));
    p.drawPolyline(sums);
}

// ------------------------------------------------------------------ the group

namespace {

QSpinBox *spinBox(const char *name, int lo, int hi, int value, QWidget *parent) {
    auto *b = new QSpinBox(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setRange(lo, hi);
    b->setValue(value);
    return b;
}

QLineEdit *energyField(const char *name, const QString &text, QWidget *parent) {
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setValidator(new QDoubleValidator(e));
    FieldWidth::fit(e, QStringLiteral("200000.00"));
    return e;
}

QPushButton *button(const char *name, const QString &text, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

ComponentsCtrl::ComponentsCtrl(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ComponentsCtrl"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    buildFields();
    buildResults();
    connect(m_analyze, &QPushButton::clicked, this, &ComponentsCtrl::analyzePressed);
    connect(m_mapChoice, QOverload<int>::of(&QComboBox::activated), this,
            &ComponentsCtrl::changedSelection);
    connect(m_showSpectra, &QPushButton::clicked, this, &ComponentsCtrl::showSpectraPressed);
    connect(m_useAsReference, &QPushButton::clicked, this,
            [this] { emit useAsReferencePressed(m_spectrum->value()); });
}

void ComponentsCtrl::buildFields() {
    auto *grid = static_cast<QGridLayout *>(layout());
    m_rangeStart = energyField("ComponentsRangeStart", QStringLiteral("0"), this);
    m_rangeEnd = energyField("ComponentsRangeEnd", QStringLiteral("200000"), this);
    m_components = spinBox("ComponentsCount", 1, 1000, 5, this);
    m_clusters = spinBox("ComponentsClusters", 1, 1000, 4, this);
    m_nmf = spinBox("ComponentsNmf", 1, 1000, 3, this);
    m_seed = spinBox("ComponentsSeed", 0, std::numeric_limits<int>::max(), 1, this);
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("ComponentsKind"));
    m_kind->addItems({tr("PCA"), tr("Clusters"), tr("NMF")});
    m_analyze = button("ComponentsAnalyze", tr("Analyze"), this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ComponentsProgress"));
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(140);
    int c = 0;
    const auto add = [&](const QString &label, QWidget *w) {
        grid->addWidget(new QLabel(label, this), 0, c++);
        grid->addWidget(w, 0, c++);
    };
    add(tr("Range (eV)"), m_rangeStart);
    add(tr("to"), m_rangeEnd);
    add(tr("Components"), m_components);
    add(tr("Clusters"), m_clusters);
    add(tr("NMF"), m_nmf);
    add(tr("Seed"), m_seed);
    grid->addWidget(m_kind, 1, 0, 1, 2);
    grid->addWidget(m_analyze, 1, 2, 1, 2);
    grid->addWidget(m_progress, 1, 4, 1, 2);
    m_rangeStart->setToolTip(tr("The energies within the range (eV) make up each bin's "
                                "normalised spectrum"));
    m_components->setToolTip(tr("Principal components kept; k-means clusters on their scores"));
    m_seed->setToolTip(tr("Seeds k-means++ and the NMF start: the same seed gives the same maps"));
    m_analyze->setToolTip(tr("Runs the chosen analysis over the selected area (the view without "
                             "one); bins without an edge are left out; reads Stop while it runs"));
}

void ComponentsCtrl::buildResults() {
    auto *grid = static_cast<QGridLayout *>(layout());
    m_mapChoice = new QComboBox(this);
    m_mapChoice->setObjectName(QStringLiteral("ComponentsMap"));
    m_mapChoice->setMinimumContentsLength(14);
    grid->addWidget(new QLabel(tr("Map"), this), 1, 6);
    grid->addWidget(m_mapChoice, 1, 7, 1, 3);
    m_scree = new ScreePlotView(this);
    m_scree->setObjectName(QStringLiteral("ComponentsScree"));
    grid->addWidget(m_scree, 2, 0, 2, 6);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("ComponentsSummary"));
    m_summary->setWordWrap(true);
    grid->addWidget(m_summary, 2, 6, 1, 6);
    m_spectrum = spinBox("ComponentsSpectrum", 0, 1000, 0, this);
    m_showSpectra = button("ComponentsShowSpectra", tr("Show Spectra"), this);
    m_useAsReference = button("ComponentsUseAsReference", tr("Use as Reference"), this);
    m_useAsReference->setToolTip(tr("Writes the chosen spectrum as a two-column file in the "
                                    "working folder and reads it into the next free LCF row"));
    grid->addWidget(new QLabel(tr("Spectrum"), this), 3, 6);
    grid->addWidget(m_spectrum, 3, 7);
    grid->addWidget(m_showSpectra, 3, 8);
    grid->addWidget(m_useAsReference, 3, 9, 1, 2);
    for (QPushButton *b : {m_showSpectra, m_useAsReference})
        b->setEnabled(false);
}

// ------------------------------------------------------------------ fields

ComponentKind ComponentsCtrl::kind() const {
    return ComponentKind(m_kind->currentIndex());
}

void ComponentsCtrl::setKind(ComponentKind kind) {
    m_kind->setCurrentIndex(int(kind));
}

double ComponentsCtrl::rangeStart() const {
    return m_rangeStart->text().toDouble();
}

double ComponentsCtrl::rangeEnd() const {
    return m_rangeEnd->text().toDouble();
}

void ComponentsCtrl::setRange(double start, double end) {
    m_rangeStart->setText(QString::number(start, 'g', 10));
    m_rangeEnd->setText(QString::number(end, 'g', 10));
}

int ComponentsCtrl::components() const {
    return m_components->value();
}

void ComponentsCtrl::setComponents(int n) {
    m_components->setValue(n);
}

int ComponentsCtrl::clusters() const {
    return m_clusters->value();
}

void ComponentsCtrl::setClusters(int k) {
    m_clusters->setValue(k);
}

int ComponentsCtrl::nmfComponents() const {
    return m_nmf->value();
}

void ComponentsCtrl::setNmfComponents(int k) {
    m_nmf->setValue(k);
}

void ComponentsCtrl::fillSettings(ComponentSettings *s) const {
    s->rangeStart = rangeStart();
    s->rangeEnd = rangeEnd();
    s->components = components();
    s->clusters = clusters();
    s->nmfComponents = nmfComponents();
    s->seed = quint64(m_seed->value());
}

void ComponentsCtrl::setRunning(bool running) {
    m_analyze->setText(running ? tr("Stop") : tr("Analyze"));
    if (running)
        m_progress->setValue(0);
}

void ComponentsCtrl::setProgress(double percent) {
    m_progress->setValue(int(std::lround(std::clamp(percent, 0.0, 100.0) * 10)));
}

// ------------------------------------------------------------------ result

void ComponentsCtrl::setResult(ComponentResult result) {
    m_result = std::move(result);
    m_hasResult = true;
    if (m_result.clusterMap)
        m_result.clusterMap->setCategories(m_result.clusterSizes.size());
    m_scree->setRatios(m_result.explainedRatios);
    const int first = firstSpectrumNumber(m_result.kind);
    const int count = resultSpectra(m_result).size();
    m_spectrum->setRange(first, std::max(first, first + count - 1));
    for (QPushButton *b : {m_showSpectra, m_useAsReference})
        b->setEnabled(count > 0);
    m_progress->setValue(1000);
    fillMapChoice();
    showSummary();
}

QVector<Analyzed2DRes *> ComponentsCtrl::resultMaps() const {
    QVector<Analyzed2DRes *> maps;
    if (m_result.clusterMap)
        maps << m_result.clusterMap.get();
    for (const auto &m : m_result.weightMaps)
        maps << m.get();
    for (const auto &m : m_result.scoreMaps)
        maps << m.get();
    return maps;
}

void ComponentsCtrl::fillMapChoice() {
    m_mapChoice->clear();
    for (Analyzed2DRes *m : resultMaps())
        m_mapChoice->addItem(m->name());
    m_mapChoice->setCurrentIndex(m_mapChoice->count() > 0 ? 0 : -1);
}

void ComponentsCtrl::showSummary() {
    QString text = tr("%1 bins analysed, %2 left out (no edge)")
                       .arg(m_result.binsUsed)
                       .arg(m_result.binsLeftOut);
    if (!m_result.clusterSizes.isEmpty()) {
        QStringList sizes;
        for (int j = 0; j < m_result.clusterSizes.size(); ++j)
            sizes << tr("%1: %2").arg(j).arg(m_result.clusterSizes[j]);
        text += tr("; cluster sizes %1").arg(sizes.join(QStringLiteral(", ")));
    }
    if (m_result.kind == ComponentKind::Nmf && m_result.nmfOffset != 0)
        text += tr("; the spectra were offset by %1 to be non-negative")
                    .arg(m_result.nmfOffset, 0, 'g', 4);
    m_summary->setText(text);
}

Analyzed2DRes *ComponentsCtrl::selectedMap() const {
    const QVector<Analyzed2DRes *> maps = resultMaps();
    const int i = m_mapChoice->currentIndex();
    return i >= 0 && i < maps.size() ? maps[i] : nullptr;
}

bool ComponentsCtrl::selectMap(ComponentKind kind, int j) {
    Analyzed2DRes *wanted = nullptr;
    const auto numbered = [j](const std::vector<std::unique_ptr<Analyzed2DRes>> &maps) {
        return j >= 1 && j <= int(maps.size()) ? maps[size_t(j - 1)].get() : nullptr;
    };
    if (kind == ComponentKind::Clusters)
        wanted = m_result.clusterMap.get();
    else if (kind == ComponentKind::Nmf)
        wanted = numbered(m_result.weightMaps);
    else
        wanted = numbered(m_result.scoreMaps);
    const int i = wanted ? resultMaps().indexOf(wanted) : -1;
    if (i < 0)
        return false;
    m_mapChoice->setCurrentIndex(i);
    emit changedSelection();
    return true;
}

int ComponentsCtrl::selectedSpectrum() const {
    return m_spectrum->value();
}

int ComponentsCtrl::spectrumIndex(int j) const {
    const int i = j - firstSpectrumNumber(m_result.kind);
    return m_hasResult && i >= 0 && i < resultSpectra(m_result).size() ? i : -1;
}

int ComponentsCtrl::clusterAt(int x, int y) const {
    const Analyzed2DRes *map = m_result.clusterMap.get();
    if (!map || !map->hasGrids())
        return -2;
    const AnalyzeCond &g = map->grid();
    if (x < g.x0 || x >= g.x1 || y < g.y0 || y >= g.y1)
        return -2;
    return int(std::lround(map->valueAt(x, y)));
}
