# The include rule's data for a planted library, `shown`, that links `linked` only and
# looks for includes in a samples folder too (the test include_rule_planted).
set(QI_ROOT "${CMAKE_CURRENT_LIST_DIR}/planted")
set(QI_TARGETS shown)
set(QI_shown_SOURCES "${QI_ROOT}/shown/Shown.cpp;${QI_ROOT}/shown/Shown.h")
set(QI_shown_DIRS "${QI_ROOT}/shown;${QI_ROOT}/linked;${QI_ROOT}/samples")
set(QI_shown_ALLOWED "${QI_ROOT}/shown/Shown.cpp;${QI_ROOT}/shown/Shown.h;${QI_ROOT}/linked/Linked.h")
