// Whether a downloaded launcher may be put in place: signed by the publisher
// for the version the page names, and carrying that version itself.
#pragma once

#include "update/update_signature.h"

#include <string>

// The four parts of the file version in `file`'s fixed version information.
bool ReadFileVersion(const std::wstring& file, int parts[4]);

enum class DownloadVerdict {
    Accepted,
    Refused,   // another signature or version: the same download would be refused again
    Unchecked, // the file could not be read or CNG failed: another try may go through
};

// Checks the signature first, then the file version; logs why a download is
// refused, and how long the signature took when it is accepted.
DownloadVerdict CheckDownloadedUpdate(const std::wstring& file, const std::string& version,
                                      const UpdateSignature& signature);
