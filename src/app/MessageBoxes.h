#pragma once

#include <QString>

namespace app {

// The three kinds of modal box the programs show. Texts keep their CR line breaks; the
// implementation decides how to draw them.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Yes / No; true only for Yes.
    virtual bool confirm(const QString& text) = 0;
    // Information with one OK button (success reports).
    virtual void information(const QString& text) = 0;
    // No icon, one OK button, titled with the application title, centred on the screen.
    virtual void plain(const QString& text) = 0;
};

// Real boxes on the screen.
class QtMessageBoxes : public MessageBoxes {
public:
    bool confirm(const QString& text) override;
    void information(const QString& text) override;
    void plain(const QString& text) override;
};

// A message's CR line breaks as the widgets draw them.
QString displayText(const QString& text);

} // namespace app
