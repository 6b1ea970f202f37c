#include "app/BatchDialog.h"

#include <wx/toplevel.h>

void CBatchDialog::OnOK()
{
}

void CBatchDialog::OnCancel()
{
    SaveSettings();
    EndDialog(IDCANCEL);
}

void CBatchDialog::OnTimer(unsigned)
{
}

long CBatchDialog::OnEncodeStalled(long, long)
{
    return 0;
}

long CBatchDialog::OnEncodeNext(long, long)
{
    return 0;
}

void CBatchDialog::StopBatch()
{
}

void CBatchDialog::OnEncodeStarted()
{
}

void CBatchDialog::OnEncodeFinished()
{
}

void CBatchDialog::OnEncodeProgress(long, long, long, long)
{
}

void CBatchDialog::OnEncodeError(long, const std::string&)
{
}

void CBatchDialog::OnEncoderSize(long, long)
{
}

BOOL CBatchDialog::PowerOffSystem()
{
    return FALSE;
}

void CBatchDialog::BringWindowToFront(wxTopLevelWindow*)
{
}

void CBatchDialog::AppendLog(const std::string&)
{
}

void CBatchDialog::AppendLogLine(const std::string&)
{
}
