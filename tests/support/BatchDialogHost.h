// The real main dialog for a window test: created without a modal loop, with the program's
// settings and log files in a fresh temporary folder, destroyed when the host goes.
#pragma once

#include <memory>

#include <gtest/gtest.h>
#include <wx/app.h>

#include "app/BatchDialog.h"
#include "support/TempDir.h"
#include "support/WxTestEnvironment.h"

template <class Dialog = CBatchDialog>
class BatchDialogHost {
public:
    BatchDialogHost() : m_module(m_folder), m_dialog(new Dialog)
    {
        m_created = m_dialog->Create();
    }
    ~BatchDialogHost()
    {
        m_dialog->Destroy();
        wxTheApp->ProcessIdle();
    }
    BatchDialogHost(const BatchDialogHost&) = delete;
    BatchDialogHost& operator=(const BatchDialogHost&) = delete;

    bool Created() const { return m_created; }
    Dialog& operator*() const { return *m_dialog; }
    Dialog* operator->() const { return m_dialog; }
    Dialog* Get() const { return m_dialog; }
    const TempDir& Folder() const { return m_folder; }

private:
    TempDir m_folder;
    ScopedModulePath m_module;
    Dialog* m_dialog;
    bool m_created = false;
};

// A test fixture around a host: `dialog` is the created main dialog (or Dialog subclass).
template <class Dialog = CBatchDialog>
class BatchDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(HaveDisplay()) << "this test opens windows: run it under xvfb-run";
        host = std::make_unique<BatchDialogHost<Dialog>>();
        ASSERT_TRUE(host->Created());
        dialog = host->Get();
    }

    template <class T>
    T* Control(int id) const
    {
        return dynamic_cast<T*>(dialog->FindWindow(id));
    }

    std::unique_ptr<BatchDialogHost<Dialog>> host;
    Dialog* dialog = nullptr;
};
