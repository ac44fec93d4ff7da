// Filled in with the message box presentations.
