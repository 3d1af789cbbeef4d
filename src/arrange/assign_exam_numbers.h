// CmdDoKaoHaoClick: rooms, exam numbers and seat numbers for every examinee.
#pragma once

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::arrange {

// Walks the rooms of 考场表 in row order, gives each as many consecutive
// examinees of 考生表 (sheet order, or random order with OptSJKaoHao) as its
// 场人 cell says, and writes room data, exam number and seat number into
// every examinee row; then the rooms' first and last exam numbers, the
// school, grade and class counts, the sort by exam number, a notice when
// places and examinees differ, and the end-of-work tone. Bad start or cycle
// numbers fail before anything is written; later failures leave what was
// already written.
void AssignExamNumbers(component::Component& self, host::Application& EA, host::Form& UF);

}  // namespace kelv::arrange
