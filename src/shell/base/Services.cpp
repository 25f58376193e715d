#include "Services.h"

#include "Beep.h"
#include "session/wire/Cp1251.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>

namespace {

// Non-interactive answers: used until the application installs the real services,
// so nothing ever blocks where no person is present.
class QuietMessageBox : public IMessageBoxService {
public:
    int Show(QWidget*, const QString&, const QString&, MsgKind, int buttons, bool) override {
        return (buttons & MsgCancel) ? MsgCancel : (buttons & MsgNo) ? MsgNo : MsgOk;
    }
};

class QuietInputBox : public IInputBoxService {
public:
    bool Ask(QWidget*, const QString&, const QString&, QString&) override { return false; }
};

class QuietFileDialog : public IFileDialogService {
public:
    QString GetSaveFileName(QWidget*, const QString&, const QStringList&, int&,
                            const QString&) override {
        return {};
    }
    QString GetOpenFileName(QWidget*, const QString&, const QStringList&) override { return {}; }
};

class QuietFontDialog : public IFontDialogService {
public:
    bool ChooseFont(QWidget*, QFont&) override { return false; }
};

class MemoryClipboard : public IClipboardService {
public:
    void SetText(const QString& text) override { text_ = text; }
    QString Text() const override { return text_; }

private:
    QString text_;
};

class QuietSound : public ISoundService {
public:
    void Beep() override {}
    void PlayFile(const QString&) override {}
    void OpenSoundSettings() override {}
};

class RealProcess : public IProcessService {
public:
    bool StartDetached(const QString& program, const QStringList& arguments,
                       const QString& workingFolder) override {
        return QProcess::startDetached(program, arguments, workingFolder);
    }
};

class NoWindows : public IWindowFinderService {
public:
    bool BringToFront(const QString&) override { return false; }
};

// Interactive implementations.
class DialogMessageBox : public IMessageBoxService {
public:
    int Show(QWidget* parent, const QString& text, const QString& caption, MsgKind kind,
             int buttons, bool topMost) override {
        QMessageBox box(parent);
        box.setWindowTitle(caption);
        box.setText(text);
        switch (kind) {
        case MsgKind::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgKind::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgKind::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgKind::None:
            break;
        }
        static const std::pair<int, QMessageBox::StandardButton> map[] = {
            {MsgOk, QMessageBox::Ok},        {MsgCancel, QMessageBox::Cancel},
            {MsgYes, QMessageBox::Yes},      {MsgNo, QMessageBox::No},
            {MsgAbort, QMessageBox::Abort},  {MsgRetry, QMessageBox::Retry},
            {MsgIgnore, QMessageBox::Ignore}};
        QMessageBox::StandardButtons standard;
        for (const auto& [ours, qt] : map)
            if (buttons & ours)
                standard |= qt;
        box.setStandardButtons(standard ? standard : QMessageBox::Ok);
        if (topMost)
            box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
        const int answer = box.exec();
        for (const auto& [ours, qt] : map)
            if (answer == qt)
                return ours;
        return MsgCancel;
    }
};

class DialogInputBox : public IInputBoxService {
public:
    bool Ask(QWidget* parent, const QString& caption, const QString& prompt,
             QString& value) override {
        bool ok = false;
        const QString answer =
            QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
        if (ok)
            value = answer;
        return ok;
    }
};

class DialogFiles : public IFileDialogService {
public:
    QString GetSaveFileName(QWidget* parent, const QString& caption, const QStringList& filters,
                            int& filterIndex, const QString& defaultName) override {
        QFileDialog dialog(parent, caption, defaultName);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(filters);
        if (filterIndex >= 1 && filterIndex <= filters.size())
            dialog.selectNameFilter(filters.at(filterIndex - 1));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
        return dialog.selectedFiles().first();
    }
    QString GetOpenFileName(QWidget* parent, const QString& caption,
                            const QStringList& filters) override {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filters.join(";;"));
    }
};

class DialogFont : public IFontDialogService {
public:
    bool ChooseFont(QWidget* parent, QFont& font) override {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, font, parent);
        if (ok)
            font = chosen;
        return ok;
    }
};

class SystemClipboard : public IClipboardService {
public:
    void SetText(const QString& text) override {
        auto* mime = new QMimeData;
        mime->setText(text);
        mime->setData(QStringLiteral("text/plain;charset=windows-1251"), Cp1251::Encode(text));
        QApplication::clipboard()->setMimeData(mime);
    }
    QString Text() const override { return QApplication::clipboard()->text(); }
};

class SystemSound : public ISoundService {
public:
    void Beep() override { QApplication::beep(); }
    void PlayFile(const QString&) override { QApplication::beep(); }
    void OpenSoundSettings() override {}
};

template <typename T> struct Slot { std::shared_ptr<T> service; };

Slot<IMessageBoxService>& MessageBoxSlot() {
    static Slot<IMessageBoxService> s{std::make_shared<QuietMessageBox>()};
    return s;
}
Slot<IInputBoxService>& InputBoxSlot() {
    static Slot<IInputBoxService> s{std::make_shared<QuietInputBox>()};
    return s;
}
Slot<IFileDialogService>& FileDialogSlot() {
    static Slot<IFileDialogService> s{std::make_shared<QuietFileDialog>()};
    return s;
}
Slot<IFontDialogService>& FontDialogSlot() {
    static Slot<IFontDialogService> s{std::make_shared<QuietFontDialog>()};
    return s;
}
Slot<IClipboardService>& ClipboardSlot() {
    static Slot<IClipboardService> s{std::make_shared<MemoryClipboard>()};
    return s;
}
Slot<ISoundService>& SoundSlot() {
    static Slot<ISoundService> s{std::make_shared<QuietSound>()};
    return s;
}
Slot<IProcessService>& ProcessSlot() {
    static Slot<IProcessService> s{std::make_shared<RealProcess>()};
    return s;
}
Slot<IWindowFinderService>& WindowFinderSlot() {
    static Slot<IWindowFinderService> s{std::make_shared<NoWindows>()};
    return s;
}

// An empty service puts the quiet default back, so tests can undo what they installed.
template <typename Default, typename T> void Replace(Slot<T>& slot, std::shared_ptr<T> service) {
    slot.service = service ? std::move(service) : std::make_shared<Default>();
}

} // namespace

IMessageBoxService& Services::MessageBox() {
    return *MessageBoxSlot().service;
}
IInputBoxService& Services::InputBox() {
    return *InputBoxSlot().service;
}
IFileDialogService& Services::FileDialog() {
    return *FileDialogSlot().service;
}
IFontDialogService& Services::FontDialog() {
    return *FontDialogSlot().service;
}
IClipboardService& Services::Clipboard() {
    return *ClipboardSlot().service;
}
ISoundService& Services::Sound() {
    return *SoundSlot().service;
}
IProcessService& Services::Process() {
    return *ProcessSlot().service;
}
IWindowFinderService& Services::WindowFinder() {
    return *WindowFinderSlot().service;
}

void Services::SetMessageBox(std::shared_ptr<IMessageBoxService> s) {
    Replace<QuietMessageBox>(MessageBoxSlot(), std::move(s));
}
void Services::SetInputBox(std::shared_ptr<IInputBoxService> s) {
    Replace<QuietInputBox>(InputBoxSlot(), std::move(s));
}
void Services::SetFileDialog(std::shared_ptr<IFileDialogService> s) {
    Replace<QuietFileDialog>(FileDialogSlot(), std::move(s));
}
void Services::SetFontDialog(std::shared_ptr<IFontDialogService> s) {
    Replace<QuietFontDialog>(FontDialogSlot(), std::move(s));
}
void Services::SetClipboard(std::shared_ptr<IClipboardService> s) {
    Replace<MemoryClipboard>(ClipboardSlot(), std::move(s));
}
void Services::SetSound(std::shared_ptr<ISoundService> s) {
    Replace<QuietSound>(SoundSlot(), std::move(s));
}
void Services::SetProcess(std::shared_ptr<IProcessService> s) {
    Replace<RealProcess>(ProcessSlot(), std::move(s));
}
void Services::SetWindowFinder(std::shared_ptr<IWindowFinderService> s) {
    Replace<NoWindows>(WindowFinderSlot(), std::move(s));
}

void Services::InstallInteractive() {
    SetMessageBox(std::make_shared<DialogMessageBox>());
    SetInputBox(std::make_shared<DialogInputBox>());
    SetFileDialog(std::make_shared<DialogFiles>());
    SetFontDialog(std::make_shared<DialogFont>());
    SetClipboard(std::make_shared<SystemClipboard>());
    SetSound(std::make_shared<SystemSound>());
    SetBeepHandler([] { Services::Sound().Beep(); });
}
