#pragma once
// The check mark of the menu item ToDoリスト, which follows whether the ToDo window is open.

namespace shell {

class TodoMark {
  public:
    virtual ~TodoMark() = default;

    virtual void setTodoChecked(bool checked) = 0;
};

} // namespace shell
