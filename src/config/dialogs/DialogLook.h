#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

namespace torvanelo {

// What the small modal dialogs share: a fixed size, a title bar with only
// the close button (which cancels), and the two buttons' captions.
inline void setDialogLook(QDialog* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setModal(true);
}

QString okCaption();
QString cancelCaption(int language);

// A label that keeps its whole text (text(), the tooltip) and draws it cut
// in the middle when it is wider than the label: a long folder path must
// not widen its dialog beyond the screen.
class ElidedLabel final : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace torvanelo
