#pragma once
// An annotation library: what is printed on pieces and markers. Each entry
// belongs to a category and lists its annotation orders: a field to print,
// a fixed slice of one, a constant text, a symbol, or a layout instruction.
// Orders are a small class family with a visitor.

#include <cstdint>
#include <memory>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class AnnotationLibrary {
 public:
  class Entry {
   public:
    class SimpleOrder;
    class FixedOrder;
    class VariableOrder;
    class SymbolOrder;

    class OrderVisitor {
     public:
      virtual ~OrderVisitor() = default;
      virtual void Visit(const VariableOrder& order) = 0;
      virtual void Visit(const FixedOrder& order) = 0;
      virtual void Visit(const SymbolOrder& order) = 0;
      virtual void Visit(const SimpleOrder& order) = 0;
    };

    // One order; its format code says what it prints.
    class Order {
     public:
      explicit Order(uint8_t format) : format(format) {}
      virtual ~Order() = default;
      virtual void Accept(OrderVisitor& visitor) const = 0;
      uint8_t format;
    };

    // A format with nothing more to it (a whole field, a new line).
    class SimpleOrder : public Order {
     public:
      using Order::Order;
      void Accept(OrderVisitor& visitor) const override { visitor.Visit(*this); }
    };

    // A slice of a field, from start to end.
    class FixedOrder : public Order {
     public:
      FixedOrder(uint8_t format, int8_t start, int8_t end) : Order(format), start(start), end(end) {}
      void Accept(OrderVisitor& visitor) const override { visitor.Visit(*this); }
      int8_t start;
      int8_t end;
    };

    // A constant text.
    class VariableOrder : public Order {
     public:
      VariableOrder(uint8_t format, FixedText text) : Order(format), text(std::move(text)) {}
      void Accept(OrderVisitor& visitor) const override { visitor.Visit(*this); }
      FixedText text;  // kQuoted
    };

    // A symbol with its number and height.
    class SymbolOrder : public Order {
     public:
      SymbolOrder(uint8_t format, int8_t number, int8_t height) : Order(format), number(number), height(height) {}
      void Accept(OrderVisitor& visitor) const override { visitor.Visit(*this); }
      int8_t number;
      int8_t height;
    };

    FixedText category{kName20};
    std::vector<std::shared_ptr<Order>> orders;
  };

  // Bounded by the 16-bit counts of the store records.
  static constexpr size_t kMaxEntries = 32767;
  static constexpr size_t kMaxOrders = 32767;
  // A constant text's length is a signed 16-bit value.
  static constexpr size_t kMaxTextBytes = 32767;

  FixedText comment1{kPrintable20};
  FixedText comment2{kPrintable20};
  std::vector<Entry> entries;
};

}  // namespace Tessaline
