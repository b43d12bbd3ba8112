// The tray program's application object: what escapes a slot or event handler is reported once
// and ends the event loop with 0.
#pragma once

#include <QApplication>

class KorvelCalibrationApplication : public QApplication {
    Q_OBJECT

public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override;
};
