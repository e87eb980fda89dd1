// End-to-end tests of backup and restore with the real applications.
