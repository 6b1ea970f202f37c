#include "app/BatchDialog.h"

void CBatchDialog::OnHelpPage()
{
}
