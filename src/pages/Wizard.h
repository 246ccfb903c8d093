#pragma once

#include <memory>

namespace pages {

class Form1;
class Form2;
class Form3;

// The program-wide page instances. Each page is created the first time
// anything refers to it and lives as long as the wizard.
class Wizard {
 public:
  Wizard();
  ~Wizard();
  Wizard(const Wizard&) = delete;
  Wizard& operator=(const Wizard&) = delete;

  static Wizard& Current();

  Form1& form1();
  Form2& form2();
  Form3& form3();
  bool form3Exists() const { return form3_ != nullptr; }

  // Loads the connection page, which runs the start-up sequence, and shows
  // it unless the sequence moved on to the table chooser.
  void Start();

 private:
  std::unique_ptr<Form1> form1_;
  std::unique_ptr<Form2> form2_;
  std::unique_ptr<Form3> form3_;
};

}  // namespace pages
