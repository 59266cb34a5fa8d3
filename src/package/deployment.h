// The last step of an install run: the copies into the product.
#pragma once

// Copies the kit's driver files into the product's folders. 1 when the
// driver, its resource file and (for 2004 and later) its resource library
// were copied, whatever became of the help files; 0 after telling the user.
int deploy_driver_files(const char *package_folder, const char *driver_folder,
                        const char *help_folder);
