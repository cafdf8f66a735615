/* Stand-in for the gateway library in the library-loading tests: which copy
 * was loaded shows in the answer. */
int qk_test_answer(void) { return QK_TEST_ANSWER; }
