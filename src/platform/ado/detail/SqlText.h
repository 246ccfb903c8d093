#pragma once

#include <string>
#include <vector>

namespace ado {

std::string Upper(std::string text);
std::string Lower(std::string text);
std::string Join(const std::vector<std::string>& parts, const std::string& separator);

// The parts joined by an operator as a balanced tree, "((a op b) op (c op
// d))": SQLite limits the depth of an expression, and a table may have
// thousands of columns. Empty parts give an empty text.
std::string Balanced(const std::vector<std::string>& parts, const std::string& op);

}  // namespace ado
