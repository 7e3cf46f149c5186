// A field fitted to its typical content is wide enough for it and shows its
// value in the tool tip unless it has a description there; a file dialog that closes
// takes its open completion list with it.
#include "display/widgets/DialogPopups.h"
#include "display/widgets/FieldWidth.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FieldWidth, WideEnoughAndTheValueInTheToolTip) {
    QLineEdit plain, described;
    described.setToolTip("Edge energy");
    for (QLineEdit *field : {&plain, &described}) {
        field->setMaximumWidth(40);
        FieldWidth::fit(field, "-0.0123456");
        EXPECT_GE(field->minimumWidth(), field->fontMetrics().horizontalAdvance("-0.0123456"));
        EXPECT_GE(field->maximumWidth(), field->minimumWidth());
        field->setText("7112.123456789");
    }
    EXPECT_EQ(plain.toolTip(), "7112.123456789");
    EXPECT_EQ(described.toolTip(), "Edge energy");
}

TEST(DialogPopups, ClosingAFileDialogClosesItsCompletionList) {
    DialogPopups::closeCompletionsWithTheirDialogs();
    QTemporaryDir dir;
    QFileDialog dialog(nullptr, "Open", dir.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.show();
    const QList<QCompleter *> completers = dialog.findChildren<QCompleter *>();
    ASSERT_FALSE(completers.isEmpty());
    QCompleter *c = completers.first();
    c->popup()->show(); // as when a typed name has matches
    ASSERT_TRUE(c->popup()->isVisible());
    dialog.reject();
    EXPECT_FALSE(c->popup()->isVisible());
}
