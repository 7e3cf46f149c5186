#pragma once
// Mouse state of a drawing area: positions in whole screen pixels, the buttons
// and modifiers of the last event, and the wheel's zoom factor.
#include <QObject>
#include <QPoint>

class MouseC : public QObject {
    Q_OBJECT
public:
    // Button codes: a base for the button plus an offset for the modifiers.
    enum ButtonCode {
        Left = 0,
        ShiftLeft = 1,
        CtrlLeft = 2,
        Right = 8,
        OtherButton = 16,
    };
    // Wheel zoom factor per event: a step towards the user zooms out.
    static constexpr double ZoomOutFactor = 1.1;

    explicit MouseC(QObject *parent = nullptr);

    // Rounds half away from zero; huge values saturate instead of overflowing.
    static int roundPixel(double v);
    // Code of a button with modifiers: base 0 left, 8 right, 16 any other (or
    // none); plus 0 none, 1 Shift, 2 Ctrl, 3 Alt, 4 Ctrl+Shift, 5 Shift+Alt,
    // 6 Ctrl+Alt, 7 Ctrl+Shift+Alt.
    static int buttonCode(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);

    // Event recording. The previous position is kept for panning.
    void move(double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void press(double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void release(double x, double y, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    // Sets the position without touching buttons (programmatic moves).
    void setPos(double x, double y);
    // angleDelta.y of a wheel event; 120 is one notch.
    void wheel(int angleDeltaY);

    int x() const { return m_pos.x(); }
    int y() const { return m_pos.y(); }
    QPoint pos() const { return m_pos; }
    QPoint prevPos() const { return m_prev; }
    QPoint pressPos() const { return m_press; }
    QPoint releasePos() const { return m_release; }
    Qt::MouseButtons buttons() const { return m_buttons; }
    Qt::KeyboardModifiers modifiers() const { return m_mods; }
    bool pressed() const { return m_pressed; }
    // Code of the buttons and modifiers of the last event.
    int code() const { return buttonCode(m_buttons, m_mods); }
    double wheelSteps() const { return m_steps; }
    double wheelFactor() const { return m_factor; }

private:
    void store(double x, double y);

    QPoint m_pos;
    QPoint m_prev;
    QPoint m_press;
    QPoint m_release;
    Qt::MouseButtons m_buttons = Qt::NoButton;
    Qt::KeyboardModifiers m_mods = Qt::NoModifier;
    bool m_pressed = false;
    double m_steps = 0;
    double m_factor = 1;
};
