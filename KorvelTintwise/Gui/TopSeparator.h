// The rule under the preferences window's tab buttons; the application style draws it.
#pragma once

#include <QFrame>

class TopSeparator : public QFrame {
    Q_OBJECT

public:
    explicit TopSeparator(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
};
