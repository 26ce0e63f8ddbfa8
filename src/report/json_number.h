// Numbers of the JSON documents, for the report builders here (nlohmann-json stays inside them).
#pragma once

#include <nlohmann/json.hpp>

namespace keyin::report {

// A number as the report files write it, as a JSON number: whole numbers as integers, others
// read back from their at most 15 significant digits, which is what the serializer then writes;
// null for a number that is not finite.
nlohmann::ordered_json JsonNumber(double number);

}  // namespace keyin::report
