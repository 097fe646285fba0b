#pragma once
// The root of every exception the system raises on purpose. Each carries only
// a message text; the default failure report shows the class name beside it,
// so every class says its own name.

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  // The name the failure report prints ("EResNotFound", "ELzrw1Exception"...).
  virtual const char* ClassName() const { return "Exception"; }

  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Declares a class that adds nothing to its base but its name.
#define DECLARE_EXCEPTION_CLASS(Name, Base)                     \
  class Name : public Base {                                     \
   public:                                                       \
    using Base::Base;                                            \
    const char* ClassName() const override { return #Name; }     \
  }

// Memory running out anywhere outside the expander (which converts its own).
DECLARE_EXCEPTION_CLASS(EOutOfMemory, Exception);
