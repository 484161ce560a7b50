// Numbers: decimal text from integer and floating-point operands, numbers from decimal,
// hexadecimal and binary text, and the table of powers of ten both scale with.
//
// All arithmetic is x87 extended precision (64-bit significand) rounding toward negative
// infinity. Each number operation sets that mode and gives the caller's x87 control word
// back before it returns; UseNumberModeForProcess() keeps it for the whole process.
//
//     double price = 1234.5678;
//     OperandList[0] = OperandAddress(&price);
//     const char* text = FormatNumber("Total: %9f EUR", NumberGroup(0, kOperandFloat64));
//     // "Total: 1234.56780 EUR", the next temporary
//     std::int32_t whole = kSizeInt32;
//     ParseNumber("-2.7", &whole);  // whole == -3, the count is 4
#pragma once

#include "format_number.h"
#include "parse_number.h"
#include "power_table.h"
#include "value_stack.h"
