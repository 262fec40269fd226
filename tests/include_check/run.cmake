# The include check on a small tree with one fault of each kind planted in
# high/High.cpp: it must fail, report each, and pass what is allowed.
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_CURRENT_LIST_DIR} -DRULES=${CMAKE_CURRENT_LIST_DIR}/rules.txt
                        -P ${CHECKER}
                RESULT_VARIABLE status ERROR_VARIABLE out OUTPUT_VARIABLE out)
if(status EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with wrong includes:\n${out}")
endif()
set(expected
  "high/High.cpp: \"low/Low_pvt.h\" is private to low/"
  "high/High.cpp: \"Bare.h\" does not name its folder"
  "high/High.cpp: \"high/Missing.h\" is not a file of the repository"
  "high/High.cpp: \"side/Side.h\" is in side/, which high_lib does not link \\(it may include high/, low/\\)")
foreach(line IN LISTS expected)
  if(NOT out MATCHES "${line}")
    message(FATAL_ERROR "not reported: ${line}\n${out}")
  endif()
endforeach()
if(out MATCHES "low/Low.h:" OR out MATCHES "\"low/Low.h\"")
  message(FATAL_ERROR "an allowed include was reported:\n${out}")
endif()
