// The desktop's launching services (links, the help page) behind an interface, so that tests
// install a recording fake and never start a browser or a mail client.
#pragma once

#include <string>
#include <vector>

#include "platform/ShellCommand.h"

namespace platform {

// Opens targets with the desktop. Runs on the UI thread.
class IShell {
public:
    virtual ~IShell() = default;

    // Opens a URL (or a file path) with its default handler, falling back to the command line of
    // the HTML handler; a ShellCode (above 32 on success).
    virtual int OpenUrl(const std::string& target) = 0;

    // Opens a document (the help page) with its default handler; a ShellCode. The desktop decides
    // the window's size and the handler's working folder.
    virtual int OpenDocument(const std::string& path) = 0;
};

// The real services, on GIO: the default handler first, then the default application for
// "text/html" started from an argument vector.
class GioShell : public IShell {
public:
    int OpenUrl(const std::string& target) override;
    int OpenDocument(const std::string& path) override;

    // The GIO operations OpenUrl is made of.
    static ShellOps Ops();
};

// A fake that records what would have been opened and answers with a chosen code.
class RecordingShell : public IShell {
public:
    explicit RecordingShell(int result = ShellCode::Succeeded) : m_nResult(result) {}

    int OpenUrl(const std::string& target) override;
    int OpenDocument(const std::string& path) override;

    void SetResult(int result) { m_nResult = result; }
    const std::vector<std::string>& Urls() const { return m_urls; }
    const std::vector<std::string>& Documents() const { return m_documents; }

private:
    int m_nResult;
    std::vector<std::string> m_urls;
    std::vector<std::string> m_documents;
};

// The process-wide shell: the GIO one unless another has been installed.
IShell& Shell();

// Installs a shell (nullptr: the GIO one again) and returns the one it replaces.
IShell* InstallShell(IShell* shell);

// Installs a shell for the lifetime of the guard, then puts the previous one back.
class ScopedShell {
public:
    explicit ScopedShell(IShell& shell) : m_pPrevious(InstallShell(&shell)) {}
    ~ScopedShell() { InstallShell(m_pPrevious); }
    ScopedShell(const ScopedShell&) = delete;
    ScopedShell& operator=(const ScopedShell&) = delete;

private:
    IShell* m_pPrevious;
};

}  // namespace platform
