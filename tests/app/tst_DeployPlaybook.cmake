# The playbook lives in docs/deploy; the test runs the built command line.
target_compile_definitions(tst_DeployPlaybook PRIVATE VANTORIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(tst_DeployPlaybook vantorix-cli vantorix-service)
set_tests_properties(tst_DeployPlaybook PROPERTIES SKIP_REGULAR_EXPRESSION "SKIP   : .*ansible-playbook is not installed")
