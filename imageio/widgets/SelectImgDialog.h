#pragma once
// The file dialog for image series and dark images: the toolkit's own dialog,
// several existing files at once, image filters first.
#include <QFileDialog>

class SelectImgDialog : public QFileDialog {
    Q_OBJECT
public:
    static const char *const ImageFilter;
    static const char *const AnyFilter;
    static const char *const StackFilter;

    // Starts in DataRoot.
    explicit SelectImgDialog(QWidget *parent = nullptr);
};
