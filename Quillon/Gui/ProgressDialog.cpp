#include "Quillon/Gui/ProgressDialog.h"

#include "Quillon/Gui/QuillonStyle.h"

#include <QProgressBar>

ProgressDialog::ProgressDialog(const QString& title, int baseWidth, QWidget* parent) : QProgressDialog(parent)
{
    setMinimumWidth(int(baseWidth * GetHorizontalScaleFactor(this)));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setCancelButton(nullptr);
    auto* bar = new QProgressBar(this);
    bar->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    bar->setMaximum(0);
    bar->setMinimum(0);
    bar->setValue(0);
    setBar(bar);
    setMinimumDuration(0);
    show();
}

void ProgressDialog::keyPressEvent(QKeyEvent*) {}
