#pragma once

#include <QString>

#include <exception>
#include <new>

#include "dialogs/ui_services.h"

namespace lumavex {

/// Runs one user command and shows whatever it throws in the application's standard error box,
/// so that no exception reaches the event loop. Returns whether the command completed.
template <class Work>
bool reportErrors(QWidget* parent, Work&& work)
{
    QString message;
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("メモリが足りません");
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    }
    UiServices::current().showError(parent, message);
    return false;
}

}  // namespace lumavex
