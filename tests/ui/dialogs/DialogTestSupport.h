#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

namespace torvanelo::test {

// Acts on modal dialogs while the code under test waits in their exec():
// each one that appears is recorded by name and handed to the action, and
// is closed with Cancel afterwards unless the action closed it, so a test
// never hangs on a dialog left open.
class ModalDriver {
public:
    using Action = std::function<void(QDialog*)>;

    explicit ModalDriver(Action action = {})
        : m_action(std::move(action)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible() || dialog == m_handling)
                return;
            m_handling = dialog;
            seen.append(dialog->objectName());
            if (m_action)
                m_action(dialog);
            if (dialog->isVisible())
                dialog->reject();
            m_handling = nullptr;
        });
        m_timer.start();
    }

    QStringList seen;

private:
    Action m_action;
    QTimer m_timer;
    QDialog* m_handling = nullptr;
};

// The control of a dialog with this name, and of an indexed pair of
// controls (optRar, optTempo) the one with this index.
template <typename T>
T* control(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

template <typename T>
T* indexed(QWidget* dialog, const char* name, int index) {
    for (T* candidate : dialog->findChildren<T*>(QString::fromLatin1(name))) {
        if (candidate->property("index").toInt() == index)
            return candidate;
    }
    return nullptr;
}

inline void click(QWidget* dialog, const char* button) {
    QTest::mouseClick(control<QAbstractButton>(dialog, button), Qt::LeftButton);
}

// Replaces the text of a box as the user does: select all, type.
inline void typeInto(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

} // namespace torvanelo::test
