// Interoperability tests are added with the ZIP tools.
