#pragma once

#include <QDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QString>

#include <memory>

class QStyle;

namespace Ui {
class CustomMessageBox;
}

// Quillon's message box: a standard icon, a word-wrapped (rich) text and one "OK" button, sized
// from the screen under it. exec() gives Accepted for "OK", Rejected when closed otherwise.
class CustomMessageBox : public QDialog {
    Q_OBJECT

public:
    CustomMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text, QWidget* parent,
                     Qt::WindowFlags flags);
    ~CustomMessageBox() override;

    // The style's standard icon of a message-box kind; any other kind leaves the picture empty.
    void SetIcon(QMessageBox::Icon icon);

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void on_pushButton_clicked();

private:
    void SetupUi();

    std::unique_ptr<Ui::CustomMessageBox> form;
    std::unique_ptr<QMessageBox> referenceBox;
    QStyle* referenceStyle = nullptr;
    QIcon icon;
    QPixmap pixmap;
    int iconSize = 0;
};
