#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// One message box of the tool, described as data so that every box goes through one place:
// showMessageBox. Tests install a hook that records the box and answers it; a run on the
// offscreen platform (no one can see or click) logs the box and takes its default answer.
struct SMessageBox
{
    QMessageBox::Icon icon = QMessageBox::Information;
    QWidget* parent = nullptr;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

using MessageBoxHook = std::function<QMessageBox::StandardButton(const SMessageBox&)>;

// Shows the box modally and returns the button that closed it.
QMessageBox::StandardButton showMessageBox(const SMessageBox& box);
// Replaces the real boxes (an empty hook restores them); returns the hook it replaced.
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);
