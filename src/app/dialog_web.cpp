// The browser build's setup dialog: there is none, the page is the setup screen (its Start
// button starts the program with the page's size), so nothing here asks.
#include "app/dialog.h"

bool runSetupDialog(SetupResult& result) {
    result = SetupResult();
    return false;
}
