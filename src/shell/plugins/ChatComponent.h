#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

// A component made by its identifier, as the workstation makes the chat from
// "OrvexChatAuto.Chat". Creation and calls report failures as exceptions.
class IChatComponent {
public:
    virtual ~IChatComponent() = default;
    virtual void Show() = 0;
};

class TComponentFactory {
public:
    using Creator = std::function<std::unique_ptr<IChatComponent>()>;
    // Replaces the creator of an identifier; an empty creator removes it.
    static void Register(const QString& id, Creator creator);
    // Throws std::runtime_error for an unknown identifier or a failing creation.
    static std::unique_ptr<IChatComponent> Create(const QString& id);
};

inline const QString kChatComponentId = QStringLiteral("OrvexChatAuto.Chat");

// The chat the program holds from StartWork to its end.
class TChatHost {
public:
    // Makes the chat, replacing an earlier one; throws when it cannot be made (the
    // start-up step logs "EXCEPTION Запуск чата. " + the text).
    void CreateChat();
    // "Чат": shows the chat; any failure, a chat never made included, is logged as
    // "EXCEPTION Открытие чата. " + the text.
    void ShowChat();
    bool HasChat() const { return chat_ != nullptr; }

private:
    std::unique_ptr<IChatComponent> chat_;
};

// The chat of this platform: the "orvexchat" program beside the workstation. Show asks
// the running instance over its per-user local socket to raise its window, or starts
// the program. Registers itself under kChatComponentId.
void RegisterStandInChat(const QString& programFolder);
