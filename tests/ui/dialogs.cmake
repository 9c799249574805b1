presmon_add_test(tst_TFrmLineSet SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_TFrmLineSet.cpp
                 LIBS presmon_ui LABELS ui)
presmon_add_test(tst_TFrmPicAll SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_TFrmPicAll.cpp
                 LIBS presmon_ui LABELS ui)
presmon_add_test(tst_PicAllIntegration SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_PicAllIntegration.cpp
                 LIBS presmon_ui LABELS ui integration)
add_dependencies(tst_PicAllIntegration presmon-sim)
set_tests_properties(tst_PicAllIntegration PROPERTIES TIMEOUT 60)
