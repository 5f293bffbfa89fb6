#pragma once
// The dialect's parser: reads one statement (a trailing semicolon allowed) into a ParsedStatement.
// It knows the grammar only, not the schema. Every syntax error is a DbError with the number of
// the clause it is in: 3075 with the expression's text for a malformed expression, 3131 FROM,
// 3141 select list, 3138 ORDER BY, 3134 INSERT, 3144 UPDATE and DELETE, 3290 data definition,
// 3129 an unknown statement, 3142 text after the end of the statement. Nesting is bounded, so
// no input can exhaust the stack.
#include "ast.h"

namespace dbe::dialect {

ParsedStatement parse(const QString& text);

// The deepest nesting of parentheses, NOT and signs that parse() accepts, and the greatest height
// of an expression tree (a chain of AND is as high as it is long): whatever walks the tree
// recursively stays within a small stack.
// A chain of AND, OR or & (written flat, and walked one operand after another) may be longer, up
// to kMaxChain operands.
inline constexpr int kMaxNesting = 256;
inline constexpr int kMaxTreeHeight = 400;
inline constexpr int kMaxChain = 4000;

}  // namespace dbe::dialect
