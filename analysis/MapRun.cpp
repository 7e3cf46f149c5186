#include "analysis/MapRun.h"

#include <QThread>
#include <algorithm>
#include <new>

MapRun::MapRun(QObject *parent) : Run(parent) {}

MapRun::~MapRun() {
    stop();
    wait();
}

void MapRun::prepareRun(const AnalyzeCond &grid, const QVector<Analyzed2DRes *> &maps,
                        TaskFactory factory, int threads) {
    m_grid = grid;
    m_maps = maps;
    // The workers read the list at once: it must own its storage before they
    // start, or the first non-const access of one would reallocate it under
    // the others (the caller's copy shares it).
    m_maps.detach();
    m_factory = std::move(factory);
    m_threads = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    m_rows = grid.binsY();
    m_rowsPerBlock = 1;
    m_blocks = (m_rows + m_rowsPerBlock - 1) / m_rowsPerBlock;
    m_threads = std::min(m_threads, std::max(1, m_blocks));
    m_nextBlock = 0;
    m_stop = false;
    m_outOfMemory = false;
    m_pending.assign(size_t(m_blocks), {});
    m_ended.assign(size_t(m_blocks), 0);
    m_merged = 0;
    m_sinceProgress.start();
    m_clock.start();
    m_seconds = 0;
}

bool MapRun::start(const AnalyzeCond &grid, const QVector<Analyzed2DRes *> &maps,
                   TaskFactory factory, int threads) {
    if (m_running.exchange(true))
        return false;
    wait(); // the last run's controller may still be on its final lines
    prepareRun(grid, maps, std::move(factory), threads);
    m_controller = std::thread([this] {
        const bool completed = runPool();
        m_running = false;
        emit finished(completed);
    });
    return true;
}

bool MapRun::run(const AnalyzeCond &grid, const QVector<Analyzed2DRes *> &maps, TaskFactory factory,
                 int threads) {
    if (m_running.exchange(true))
        return false;
    wait();
    prepareRun(grid, maps, std::move(factory), threads);
    const bool completed = runPool();
    m_running = false;
    emit finished(completed);
    return completed;
}

void MapRun::stop() {
    m_stop = true;
}

void MapRun::wait() {
    if (m_controller.joinable() && m_controller.get_id() != std::this_thread::get_id())
        m_controller.join();
}

int MapRun::rowsDone() const {
    auto *self = const_cast<MapRun *>(this);
    std::lock_guard<std::mutex> lock(self->m_mergeMutex);
    return std::min(m_rows, m_merged * m_rowsPerBlock);
}

bool MapRun::runPool() {
    std::vector<std::thread> helpers;
    for (int t = 1; t < m_threads; ++t)
        helpers.emplace_back([this] { work(); });
    work();
    for (std::thread &t : helpers)
        t.join();
    mergeStragglers();
    m_seconds = m_clock.nsecsElapsed() * 1e-9;
    return !m_stop.load() && m_merged == m_blocks;
}

// Memory running out on a worker stops the run like Stop does, rather than
// ending the program: the caller says so, and the maps keep what was done.
void MapRun::work() {
    try {
        workBlocks();
    } catch (const std::bad_alloc &) {
        m_outOfMemory = true;
        m_stop = true;
    }
}

void MapRun::workBlocks() {
    std::unique_ptr<BinTask> task = m_factory();
    std::vector<MapRange> ranges(size_t(m_maps.size()));
    for (;;) {
        if (m_stop.load())
            return;
        const int block = m_nextBlock.fetch_add(1);
        if (block >= m_blocks)
            return;
        std::fill(ranges.begin(), ranges.end(), MapRange());
        runBlock(*task, block, ranges);
        blockEnded(block, ranges);
    }
}

void MapRun::runBlock(BinTask &task, int block, std::vector<MapRange> &ranges) {
    BinWriter out;
    out.m_maps = m_maps.constData();
    out.m_ranges = ranges.data();
    out.m_hx = m_grid.hx;
    out.m_hy = m_grid.hy;
    const int firstRow = block * m_rowsPerBlock;
    const int lastRow = std::min(m_rows, firstRow + m_rowsPerBlock);
    const int binsX = m_grid.binsX();
    for (int row = firstRow; row < lastRow; ++row) {
        out.m_cy = m_grid.y0 + m_grid.hy + row * m_grid.sy;
        if (m_stop.load(std::memory_order_relaxed))
            return;
        task.beginRow(out.m_cy, m_grid.x0 + m_grid.hx, m_grid.sx, binsX);
        for (int col = 0; col < binsX; ++col) {
            if (m_stop.load(std::memory_order_relaxed))
                return;
            out.m_cx = m_grid.x0 + m_grid.hx + col * m_grid.sx;
            task.analyzeBin(out.m_cx, out.m_cy, out);
        }
    }
}

// After a stop, blocks that ended behind one that never started still hold
// written bins: their extremes go in too, in walk order.
void MapRun::mergeStragglers() {
    std::lock_guard<std::mutex> lock(m_mergeMutex);
    for (int b = m_merged; b < m_blocks; ++b) {
        if (!m_ended[size_t(b)])
            continue;
        for (int k = 0; k < m_maps.size(); ++k)
            m_maps[k]->mergeRange(m_pending[size_t(b)][size_t(k)]);
    }
}

// Extremes go into the maps in walk order: a block waits in m_pending until
// every block before it has been merged. A stopped block merges what it wrote.
void MapRun::blockEnded(int block, const std::vector<MapRange> &ranges) {
    int rows = -1;
    {
        std::lock_guard<std::mutex> lock(m_mergeMutex);
        m_pending[size_t(block)] = ranges;
        m_ended[size_t(block)] = 1;
        const int before = m_merged;
        while (m_merged < m_blocks && m_ended[size_t(m_merged)]) {
            const std::vector<MapRange> &r = m_pending[size_t(m_merged)];
            for (int k = 0; k < m_maps.size(); ++k)
                m_maps[k]->mergeRange(r[size_t(k)]);
            std::vector<MapRange>().swap(m_pending[size_t(m_merged)]);
            ++m_merged;
        }
        if (m_merged > before) {
            rows = std::min(m_rows, m_merged * m_rowsPerBlock);
            const bool last = m_merged == m_blocks;
            if (!last && m_sinceProgress.elapsed() < 100)
                rows = -1;
            else
                m_sinceProgress.restart();
        }
    }
    if (rows >= 0) {
        emit rowsMerged(rows);
        emit progress(m_rows > 0 ? 100.0 * rows / m_rows : 100.0);
    }
}
