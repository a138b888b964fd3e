# Toolkit services: GDI selection, registry trees, dates and the small
# resource wrappers, against real windows, the prefix's registry and real
# time zones.
rdz_add_test(NAME toolkit_gdi_test SOURCES GdiTest.cpp LIBS rdz_toolkit)
rdz_add_test(NAME toolkit_services_test SOURCES ServicesTest.cpp $<TARGET_OBJECTS:rdz_toolkit_strings> LIBS rdz_toolkit)
rdz_add_test(NAME toolkit_regkey_test SOURCES RegKeyTest.cpp LIBS rdz_toolkit)

# DateValue runs in a zone without daylight saving, in two zones with it and
# in one whose spring change skips midnight: under Wine the Unix TZ of the
# process sets the zone Windows reports.
rdz_add_test(NAME toolkit_datevalue_test SOURCES DateValueTest.cpp LIBS rdz_toolkit)
set_tests_properties(toolkit_datevalue_test PROPERTIES ENVIRONMENT "TZ=Asia/Tokyo;RDZ_TEST_ZONE_DST=0")
foreach(zone IN ITEMS America/New_York Europe/Berlin)
    string(REGEX REPLACE "[^A-Za-z]" "_" zone_name ${zone})
    add_test(NAME toolkit_datevalue_test_${zone_name} COMMAND toolkit_datevalue_test --gtest_brief=1)
    set_tests_properties(toolkit_datevalue_test_${zone_name} PROPERTIES TIMEOUT 300
                         ENVIRONMENT "TZ=${zone};RDZ_TEST_ZONE_DST=1")
endforeach()
add_test(NAME toolkit_datevalue_test_America_Havana COMMAND toolkit_datevalue_test --gtest_brief=1)
set_tests_properties(toolkit_datevalue_test_America_Havana PROPERTIES TIMEOUT 300
                     ENVIRONMENT "TZ=America/Havana;RDZ_TEST_ZONE_DST=1;RDZ_TEST_MIDNIGHT_SKIPPED=1")
