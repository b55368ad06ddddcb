// SPDX-License-Identifier: Apache-2.0
// Checks on a PKCS#11 URI's text, read as p11-kit reads it: pure, so that
// every spelling can be tried in a table.
#pragma once

#include <string>
#include <string_view>

// The URI as it may be printed. From the first attribute that is, or looks
// like, pin-value (in any letter case, spaced, with '-' or '_' or none,
// percent-encoded), everything after its name is shown as "=***": a PIN may
// hold any character, and the tail of one that p11-kit would split must not
// be printed either.
std::string PrintableUri(std::string_view uri);

// An attribute the URI gives more than once, or "" when there is none.
// p11-kit silently keeps the last one, so the wrong key might sign. Names
// are compared as p11-kit reads them: path attributes split at ';' up to the
// first '?', query attributes at '&', the whitespace it drops dropped, and
// its older spellings (object-type, pinfile) taken as type and pin-source.
std::string RepeatedUriAttribute(std::string_view uri);

// The first path attribute that p11-kit silently skips, or "": it stops
// reading the path at an empty attribute (";;", or ";" first), so that
// "object=boot;;id=%02" selects by the label alone.
std::string AttributeAfterEmpty(std::string_view uri);
