#pragma once
// Another program that takes the CLIPBOARD selection and never answers a
// request, for the clipboard's timeouts; says "owner" on standard output
// once it holds the selection, and ends after a minute.

int RunSilentClipboardOwner();
