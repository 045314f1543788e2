// WhenShown: acts on a modal dialog once its event loop runs, so a test drives what exec() would block on.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <functional>

namespace pelldra::test {

// Acts on the modal dialog of type T once it is up; act must close it. Another dialog (or none) fails the test and
// is closed, and so is the dialog when act left it open (a wrongly disabled button ignores its click), so that
// nothing waits for a hand that never comes.
template <typename T> void WhenShown(QObject* context, std::function<void(T*)> act)
{
    QTimer::singleShot(0, context, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<T*>(modal)) {
            act(dialog);
            if (dialog->isVisible()) {
                if (!QTest::currentTestFailed())
                    QTest::qFail("the dialog was left open", __FILE__, __LINE__);
                dialog->reject();
            }
            return;
        }
        if (modal)
            modal->close();
        QFAIL("the expected dialog did not show");
    });
}

} // namespace pelldra::test
