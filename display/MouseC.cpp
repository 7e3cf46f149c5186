#include "display/MouseC.h"

#include <climits>
#include <cmath>

MouseC::MouseC(QObject *parent) : QObject(parent) {}

int MouseC::roundPixel(double v) {
    if (!(v == v))
        return 0;
    const double r = v >= 0 ? std::floor(v + 0.5) : -std::floor(-v + 0.5);
    if (r >= double(INT_MAX))
        return INT_MAX;
    if (r <= double(INT_MIN))
        return INT_MIN;
    return int(r);
}

static int modifierOffset(Qt::KeyboardModifiers mods) {
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    if (ctrl && shift && alt)
        return 7;
    if (ctrl && alt)
        return 6;
    if (shift && alt)
        return 5;
    if (ctrl && shift)
        return 4;
    if (alt)
        return 3;
    if (ctrl)
        return 2;
    if (shift)
        return 1;
    return 0;
}

int MouseC::buttonCode(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    if (buttons & Qt::LeftButton)
        return Left + modifierOffset(mods);
    if (buttons & Qt::RightButton)
        return Right + modifierOffset(mods);
    return OtherButton;
}

void MouseC::store(double x, double y) {
    m_prev = m_pos;
    m_pos = QPoint(roundPixel(x), roundPixel(y));
}

void MouseC::move(double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    store(x, y);
    m_buttons = buttons;
    m_mods = mods;
}

void MouseC::press(double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    store(x, y);
    m_press = m_pos;
    m_buttons = buttons;
    m_mods = mods;
    m_pressed = true;
}

// The release event's own button decides the code, so a release reads as the
// button that was let go even though no button is held any more.
void MouseC::release(double x, double y, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
    store(x, y);
    m_release = m_pos;
    m_buttons = button;
    m_mods = mods;
    m_pressed = false;
}

void MouseC::setPos(double x, double y) {
    store(x, y);
}

// A zero delta (a purely horizontal scroll) leaves the zoom alone.
void MouseC::wheel(int angleDeltaY) {
    m_steps = angleDeltaY / 8.0 / 15.0;
    if (angleDeltaY == 0)
        m_factor = 1;
    else
        m_factor = m_steps < 0 ? ZoomOutFactor : 1.0 / ZoomOutFactor;
}
