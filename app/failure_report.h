// The one line on standard error that says why a run ended early.
#pragma once

#include <exception>
#include <string>

class CException;

// "brand-listing: <what failed>: <reason>" with the reason on one line: a database error's
// text (its lines joined), or its return code when the text is empty; the kind of any other
// error.
std::string DescribeFailure(const char* what, const CException* error);

// The same for an error that is not one of the framework's: "unexpected error (<what>)".
std::string DescribeFailure(const char* what, const std::exception& error);
