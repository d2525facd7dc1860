#pragma once

#include <QMainWindow>

namespace torvanelo {

// The program's main window.
class frmKelvadon final : public QMainWindow {
    Q_OBJECT

public:
    explicit frmKelvadon(QWidget* parent = nullptr);
};

} // namespace torvanelo
