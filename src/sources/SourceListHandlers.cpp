#include "app/BatchDialog.h"

void CBatchDialog::OnAddFiles()
{
}

void CBatchDialog::OnRemoveFiles()
{
}

void CBatchDialog::AddSourceFile(const std::string& path, platform::CListBox& list)
{
    list.AddString(path);
}
