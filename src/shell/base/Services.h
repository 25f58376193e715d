#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

// Everything that blocks on a person or touches the outside world goes through
// these interfaces, so windows can be driven by tests without a human.

enum class MsgKind { None, Information, Warning, Error, Question };

// Buttons of a message box; the answer is one of them.
enum MsgButton : int {
    MsgOk = 0x01,
    MsgCancel = 0x02,
    MsgYes = 0x04,
    MsgNo = 0x08,
    MsgAbort = 0x10,
    MsgRetry = 0x20,
    MsgIgnore = 0x40,
};

class IMessageBoxService {
public:
    virtual ~IMessageBoxService() = default;
    // Shows a modal box; returns the button pressed (MsgCancel when closed otherwise).
    // topMost: the box stays above every window (used when attaching to the server fails).
    virtual int Show(QWidget* parent, const QString& text, const QString& caption, MsgKind kind,
                     int buttons, bool topMost = false) = 0;
};

class IInputBoxService {
public:
    virtual ~IInputBoxService() = default;
    // Returns false when the person cancels.
    virtual bool Ask(QWidget* parent, const QString& caption, const QString& prompt,
                     QString& value) = 0;
};

class IFileDialogService {
public:
    virtual ~IFileDialogService() = default;
    // filters: "Description (*.ext)" entries; filterIndex is 1-based in and out.
    // Returns the chosen path, empty when cancelled.
    virtual QString GetSaveFileName(QWidget* parent, const QString& caption,
                                    const QStringList& filters, int& filterIndex,
                                    const QString& defaultName) = 0;
    virtual QString GetOpenFileName(QWidget* parent, const QString& caption,
                                    const QStringList& filters) = 0;
};

class IFontDialogService {
public:
    virtual ~IFontDialogService() = default;
    // Returns false when cancelled; font holds the choice otherwise.
    virtual bool ChooseFont(QWidget* parent, QFont& font) = 0;
};

class IClipboardService {
public:
    virtual ~IClipboardService() = default;
    // The text as Unicode and as Windows-1251 bytes under "text/plain;charset=windows-1251".
    virtual void SetText(const QString& text) = 0;
    virtual QString Text() const = 0;
};

class ISoundService {
public:
    virtual ~ISoundService() = default;
    virtual void Beep() = 0;
    virtual void PlayFile(const QString& path) = 0;
    virtual void OpenSoundSettings() = 0;
};

class IProcessService {
public:
    virtual ~IProcessService() = default;
    // Starts a program detached with the given working folder; false when it cannot start.
    virtual bool StartDetached(const QString& program, const QStringList& arguments,
                               const QString& workingFolder) = 0;
};

// Finds top-level windows of other programs by caption (the password window of the
// session server). Our session server shows none, so the default finds nothing.
class IWindowFinderService {
public:
    virtual ~IWindowFinderService() = default;
    virtual bool BringToFront(const QString& caption) = 0;
};

// The program-wide set of services. The application installs the real ones at start;
// tests install fakes. Each getter always returns a usable object.
class Services {
public:
    static IMessageBoxService& MessageBox();
    static IInputBoxService& InputBox();
    static IFileDialogService& FileDialog();
    static IFontDialogService& FontDialog();
    static IClipboardService& Clipboard();
    static ISoundService& Sound();
    static IProcessService& Process();
    static IWindowFinderService& WindowFinder();

    static void SetMessageBox(std::shared_ptr<IMessageBoxService> service);
    static void SetInputBox(std::shared_ptr<IInputBoxService> service);
    static void SetFileDialog(std::shared_ptr<IFileDialogService> service);
    static void SetFontDialog(std::shared_ptr<IFontDialogService> service);
    static void SetClipboard(std::shared_ptr<IClipboardService> service);
    static void SetSound(std::shared_ptr<ISoundService> service);
    static void SetProcess(std::shared_ptr<IProcessService> service);
    static void SetWindowFinder(std::shared_ptr<IWindowFinderService> service);

    // Installs the interactive implementations (Qt dialogs, system clipboard, ...).
    static void InstallInteractive();
};
