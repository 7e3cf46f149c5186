// A field fitted to its typical content is wide enough for it and shows its
// value in the tool tip under its own description; a file dialog that closes
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
    QLineEdit field;
    field.setMaximumWidth(40);
    field.setToolTip("Edge energy");
    FieldWidth::fit(&field, "-0.0123456");
    EXPECT_GE(field.minimumWidth(), field.fontMetrics().horizontalAdvance("-0.0123456"));
    EXPECT_GE(field.maximumWidth(), field.minimumWidth());
    field.setText("7112.123456789");
    EXPECT_EQ(field.toolTip(), "Edge energy\n7112.123456789");
    field.clear();
    EXPECT_EQ(field.toolTip(), "Edge energy");
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
