#include "Wizard.h"

#include <cassert>

#include "Form1.h"
#include "Form2.h"
#include "Form3.h"

namespace pages {

namespace {
Wizard* current = nullptr;
}

Wizard::Wizard() {
  assert(!current && "one wizard at a time");
  current = this;
}

Wizard::~Wizard() {
  // The editor goes first: its grid holds the table being edited.
  form3_.reset();
  form2_.reset();
  form1_.reset();
  current = nullptr;
}

Wizard& Wizard::Current() {
  assert(current);
  return *current;
}

Form1& Wizard::form1() {
  if (!form1_) form1_ = std::make_unique<Form1>();
  return *form1_;
}

Form2& Wizard::form2() {
  if (!form2_) form2_ = std::make_unique<Form2>();
  return *form2_;
}

Form3& Wizard::form3() {
  if (!form3_) form3_ = std::make_unique<Form3>();
  return *form3_;
}

void Wizard::Start() {
  Form1& first = form1();
  first.Load();
  if (!first.movedOnAtStart()) first.Show();
}

}  // namespace pages
