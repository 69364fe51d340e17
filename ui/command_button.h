#pragma once

#include <QPushButton>

namespace kelvarin {

// A push button of the window with a keyboard shortcut of its own (Open: Ctrl+O, Save: Ctrl+S),
// which assistive technology names with the button on every platform. Over AT-SPI Qt's own
// interface reports the shortcut with the Press action already; over UI Automation it reports
// only the mnemonic of the caption as the button's key, and these captions have none. This
// button's interface reports the shortcut there too, and is otherwise a plain push button.
//
// Qt picks the accessible interface of a widget by its class name, so this class carries a name
// of its own for the interface made for it.
class CommandButton final : public QPushButton {
    Q_OBJECT

  public:
    CommandButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}
};

// Gives every CommandButton its own accessible interface (through InstallAccessibleInterfaces).
void InstallCommandButtonAccessibility();

} // namespace kelvarin
