#include "app/BatchDialog.h"

void CBatchDialog::SaveSettings()
{
}

void CBatchDialog::LoadSettings()
{
}
