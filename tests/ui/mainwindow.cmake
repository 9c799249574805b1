presmon_add_test(tst_TFrmMain SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_TFrmMain.cpp LIBS presmon_ui)
presmon_add_test(tst_TFrmLine SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_TFrmLine.cpp LIBS presmon_ui)
