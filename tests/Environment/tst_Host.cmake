# The string tables are compiled-in resources; link their objects directly so
# that their registration runs in this test program.
target_sources(tst_Host PRIVATE $<TARGET_OBJECTS:vantorix_resources>)
