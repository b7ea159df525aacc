// A small well-formedness check of an XML document, enough for the sketch:
// valid UTF-8 of characters XML allows, one root element, every tag closed
// in order, attribute values quoted and unique, entity and character
// references well formed, no raw '<' or '&' in text. No DOCTYPE, no CDATA.
#pragma once

#include <string>
#include <string_view>

namespace resection::testing {

// Empty when the document is well formed, else what is wrong and at which
// byte.
std::string xmlWellFormednessError(std::string_view document);

} // namespace resection::testing
