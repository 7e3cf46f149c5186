#pragma once
// The map run of a window in flight (LCF/MLCF, residual absorption or
// element maps, one at a time on one engine): which kind goes, the maps it
// writes in the run's map order, and the copies of the reference spectra an
// LCF run reads, from its start until the window has handled its end.
//
// A run the window halts (before the measurement it reads changes) is ended
// at once, while its finished signal is still queued: that late signal is
// recognised here and dropped, so that it never ends a run started since.
#include "analysis/MapRun.h"
#include "spectrum/XafsSpectrum.h"

#include <QVector>

enum class MapRunKind { None, LCF, RA, Elems };

class MapRunState {
public:
    using Kind = MapRunKind;

    MapRun &run() { return m_run; }
    const MapRun &run() const { return m_run; }

    Kind kind() const { return m_kind; }
    // From the start until the end has been handled (the engine's own flag
    // drops a moment before its finished signal arrives).
    bool isGoing() const { return m_kind != Kind::None; }

    // A run of `kind` writing `maps` is about to start.
    void begin(Kind kind, const QVector<Analyzed2DRes *> &maps);
    // The run's end is being handled (or its start failed): the kind that
    // went, None when none did.
    Kind end();
    // The maps the current (or last) run writes.
    const QVector<Analyzed2DRes *> &maps() const { return m_maps; }
    void forgetMaps() { m_maps.clear(); }

    // Copies of the reference spectra for the run to read: rows may load
    // other files while it goes on. Stay in place until the next call.
    const QVector<XafsSpectrum> &keepReferences(QVector<XafsSpectrum> references);

    // The window handled the end of a run it halted; its finished signal
    // is still to come.
    void endHandledEarly() { ++m_endsHandled; }
    // A finished signal arrived: true when it is the late one of a halted
    // run (and is taken), false when it ends the run going.
    bool takeLateEnd();

private:
    MapRun m_run;
    Kind m_kind = Kind::None;
    QVector<Analyzed2DRes *> m_maps;
    QVector<XafsSpectrum> m_references;
    int m_endsHandled = 0;
};
