// Files dropped onto the queue from a file manager join it as if chosen with "+".
#pragma once

class CBatchDialog;

// Makes the dialog's source list accept dropped files; folders and non-files are ignored.
void AcceptDroppedSourceFiles(CBatchDialog& dialog);
