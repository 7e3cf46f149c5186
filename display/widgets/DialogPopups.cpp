#include "display/widgets/DialogPopups.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QEvent>
#include <QFileDialog>

namespace DialogPopups {

namespace {

class CompletionCloser : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Hide)
            if (auto *dialog = qobject_cast<QFileDialog *>(watched))
                for (QCompleter *c : dialog->findChildren<QCompleter *>())
                    if (c->popup())
                        c->popup()->hide();
        return false;
    }
};

} // namespace

void closeCompletionsWithTheirDialogs() {
    static CompletionCloser *closer = nullptr;
    if (closer || !qApp)
        return;
    closer = new CompletionCloser(qApp);
    qApp->installEventFilter(closer);
}

} // namespace DialogPopups
