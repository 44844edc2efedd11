// Showing a URL in the browser registered for HTML files.
#pragma once

#include <string>

// Starts the browser named by the "htmlfile\shell\open\command" key with `url` as its argument;
// without that key, asks the shell to start "iexplore" with it. An empty URL starts nothing.
// Reports nothing and never waits for the browser.
void OpenHomePage(std::string url);
